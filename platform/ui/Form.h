#pragma once
// A top-level window of the program.
//
// Its layout comes from a Designer .ui file: a dynamic property
// "windowPosition" gives where its frame stands when first shown, and its
// children may dock to its sides (Align.h). Its data-aware controls are bound
// to the data sources it owns by bindDataControls().
//
// OnActivate fires when the window is first shown, and after that only when
// the user comes back to it from another (non-modal) window of the program:
// not when a message box over it closes, nor when the user comes back from
// another application. Closing the window (its close box, the keyboard,
// close()) first asks OnCloseQuery, whose handler may keep it open by
// setting CanClose to false; a window that does close emits closed().

#include <QWidget>

class TForm : public QWidget {
    Q_OBJECT
public:
    // owner: the application, which keeps the window (see CreateForm).
    explicit TForm(QObject* owner);

signals:
    void OnActivate(QObject* Sender);
    void OnCloseQuery(QObject* Sender, bool& CanClose);
    void closed();

protected:
    // Binds every data-aware control to the data source it names.
    void bindDataControls();

    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void makeRoomForCaptions();
    void activated();
    bool m_placed = false;
    bool m_activatedOnce = false;
};
