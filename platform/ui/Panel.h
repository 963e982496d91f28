#pragma once
// A panel: a rectangle with raised or lowered bevels and an optional caption
// in its middle, holding other controls. Its children may dock to its sides
// (see Align.h).

#include <QFrame>

class TPanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString caption READ caption WRITE setCaption)
    Q_PROPERTY(int bevelOuter READ bevelOuter WRITE setBevelOuter)
    Q_PROPERTY(int bevelInner READ bevelInner WRITE setBevelInner)
    Q_PROPERTY(int bevelWidth READ bevelWidth WRITE setBevelWidth)
public:
    // Bevel kinds, as the description writes them.
    enum Bevel { None = 0, Lowered = 1, Raised = 2 };

    explicit TPanel(QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);
    int bevelOuter() const { return m_outer; }
    void setBevelOuter(int bevel);
    int bevelInner() const { return m_inner; }
    void setBevelInner(int bevel);
    int bevelWidth() const { return m_width; }
    void setBevelWidth(int width);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateMargins();
    QString m_caption;
    int m_outer = Raised;
    int m_inner = None;
    int m_width = 1;
};
