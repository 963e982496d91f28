#include "WindowTest.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>

namespace window_test {

QString registerPath()
{
    return QCoreApplication::applicationDirPath() + "/proba.mdb";
}

BoxWatcher::BoxWatcher(QMessageBox::StandardButton answer) : answer(answer)
{
    connect(&m_timer, &QTimer::timeout, this, [this] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible() || box->property("answered").toBool())
                continue;
            box->setProperty("answered", true);
            texts << box->text();
            if (beforeAnswer)
                beforeAnswer(int(texts.size()) - 1);
            if (!keys.isEmpty()) {
                const QKeyCombination key = keys.takeFirst();
                pressed << QKeySequence(key).toString();
                QTimer::singleShot(0, box, [box, key] { QTest::keyClick(box, key.key(), key.keyboardModifiers()); });
                continue;
            }
            QAbstractButton* button = box->button(this->answer);
            if (!button)
                button = box->buttons().value(0);
            pressed << button->text();
            QTimer::singleShot(0, button, &QAbstractButton::click);
        }
    });
    m_timer.start(10);
}

std::unique_ptr<TForm1> openWindow(test_register::Schema schema, const std::string& extraSql, const QString& as)
{
    test_register::create(registerPath(), schema);
    if (!extraSql.empty())
        test_register::exec(registerPath(), extraSql);
    // On a server the window opens the database that stands for the file.
    TApplication::instance()->setRegisterName(!as.isEmpty()                ? as
                                              : test_register::onServer() ? test_register::location(registerPath())
                                                                          : QString());
    auto form = std::make_unique<TForm1>(TApplication::instance());
    // The list is read right after each key; the tests of searches in the
    // background turn them on.
    form->SearchInBackground = false;
    form->show();
    if (!QTest::qWaitForWindowActive(form.get()))
        qWarning("the window was not activated");
    // The first activation's search has run once the status line says anything.
    if (!QTest::qWaitFor([&] { return !form->StatusBar1->SimpleText().isEmpty(); }))
        qWarning("the window's first search did not run");
    return form;
}

void failOnWarnings()
{
    // The offscreen platform cannot raise a list under a box, nor grab the
    // keyboard for it: no fault of the window.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support )")));
}

void typeText(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            QTest::keyClick(widget, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

void click(TForm1* form, TNavigateBtn button)
{
    QVERIFY2(form->DBNavigator1->button(button)->isEnabled(), "the button is not enabled");
    QTest::mouseClick(form->DBNavigator1->button(button), Qt::LeftButton);
}

void retype(QWidget* box, const QString& text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else
        typeText(box, text);
}

QStringList listRows(TForm1* form)
{
    QStringList rows;
    QAbstractItemModel* model = form->DBGrid1->model();
    for (int r = 0; r < model->rowCount(); ++r)
        rows << model->index(r, 0).data().toString() + " " + model->index(r, 3).data().toString() + " "
                    + model->index(r, 4).data().toString();
    return rows;
}

int run(QObject* test, int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    app.Initialize();
    app.useLanguage({"sr"}); // the window's own language, whatever the machine's

    return QTest::qExec(test, argc, argv);
}

} // namespace window_test
