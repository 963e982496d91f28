#pragma once
// A top-level window of the program.
//
// Its layout comes from a Designer .ui file; a dynamic property
// "windowPosition" there gives where its frame stands when first shown.
// Closing it emits closed(); the application ends when its main window does.

#include <QWidget>

class TForm : public QWidget {
    Q_OBJECT
public:
    // owner: the application, which keeps the window (see CreateForm).
    explicit TForm(QObject* owner);

signals:
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_placed = false;
};
