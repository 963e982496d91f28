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

#include <QKeySequence>
#include <QToolButton>
#include <QWidget>

#include <array>

enum TNavigateBtn { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel, nbRefresh };

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
