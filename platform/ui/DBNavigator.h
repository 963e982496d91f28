#pragma once
// The record navigator: ten buttons that move through a data source's rows
// and insert, delete, edit, save, cancel and refresh.
//
// Each button is enabled only when its action can run. A click first tells
// BeforeAction which button it was, then (for delete, after the user has
// confirmed) carries out the action on the data set. Each action also has a
// shortcut anywhere in the window (shortcut()), shown in its button's
// tooltip; a shortcut whose button is disabled does nothing.

#include "DataControl.h"
#include "DataSource.h"

#include <QColor>
#include <QKeySequence>
#include <QPalette>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <functional>

enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };

// The colour of a button's mark on palette: the button text's, or for save
// (green) and cancel and delete (red) that hue made light or dark enough to
// stand out from the button by at least 4.5:1, in a light theme or a dark one.
QColor markColor(TNavigateBtn which, const QPalette& palette, QPalette::ColorGroup group = QPalette::Active);
// How far apart two colours are for the eye (1 to 21), as the web's
// accessibility guidelines measure it.
double contrastRatio(const QColor& a, const QColor& b);

class TDBNavigator : public QWidget, public TDataControl, public TDataLink {
    Q_OBJECT
    Q_PROPERTY(QString dataSource READ dataSourceName WRITE setDataSourceName)
public:
    explicit TDBNavigator(QWidget* parent = nullptr);

    QString dataSourceName() const { return m_sourceName; }
    void setDataSourceName(const QString& name) { m_sourceName = name; }
    void bindData(QObject* form) override;
    void setDataSource(TDataSource* source);

    QToolButton* button(TNavigateBtn which) const { return m_buttons[which]; }
    static QKeySequence shortcut(TNavigateBtn which);
    // Carries out a button's action as a click would.
    void BtnClick(TNavigateBtn which);
    // Refresh reads the rows in the background where the register can (see
    // TDataSet::refreshAhead), and the list refreshes once they are there.
    bool RefreshInBackground = false;
    // How refresh reads a data set left closed (a read that failed, a lost
    // connection): where set, the refresh button and its key stay enabled
    // while the data set is closed, and there call this, the owner's own way
    // of reading it; unset, refresh needs an open data set.
    std::function<void()> readClosed;
    // The question asked before a delete, naming what goes; unset, the
    // navigator asks in general words.
    std::function<QString()> deleteQuestion;

    void dataEvent(TDataEvent event, TField* field) override;

signals:
    void BeforeAction(QObject* Sender, TNavigateBtn Button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateButtons();
    TDataSource* m_source = nullptr;
    QString m_sourceName;
    std::array<QToolButton*, 10> m_buttons{};
    bool m_settled = false; // the action is over: disable even the focused button
};
