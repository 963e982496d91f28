#include "Application.h"

#include "Exception.h"
#include "Form.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QDir>
#include <QIcon>
#include <QMessageBox>

namespace {

// A screen reader sees a window of the program as a frame with its title
// (a plain widget would be a bare filler), and a panel inside it as a
// panel that groups controls (a plain frame would be another frame).
QAccessibleInterface* accessibleWindow(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("TForm"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (className == QLatin1String("TPanel"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Grouping);
    return nullptr;
}

} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    QAccessible::installFactory(accessibleWindow);
    m_language.useDesktops();
    setApplicationName(QStringLiteral("Kolvara"));
    setApplicationDisplayName(QStringLiteral("Kolvara"));
    // The menu entry and the icon of an installed program go by this name.
    setDesktopFileName(QStringLiteral("org.kolvara.Kolvara"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("org.kolvara.Kolvara")));
    connect(this, &QGuiApplication::focusWindowChanged, this, &TApplication::focusWindowChanged);
}

QString TApplication::useLanguage(const QStringList& preferred)
{
    return m_language.use(preferred);
}

void TApplication::focusWindowChanged(QWindow* window)
{
    // Focus leaving for another application shows as no window: coming
    // back from there is no change of window.
    if (!window || window == m_focusWindow)
        return;
    m_arrivedFrom = m_focusWindow;
    m_focusWindow = window;
}

bool TApplication::takeArrivalFromOtherWindow(const QWidget* form)
{
    const QWindow* from = m_arrivedFrom;
    m_arrivedFrom = nullptr;
    return from && m_focusWindow == form->windowHandle() && from != form->windowHandle()
           && from->modality() == Qt::NonModal;
}

TApplication::~TApplication()
{
    // Windows, and the components they own, go before the toolkit does.
    m_forms.clear();
}

void TApplication::Initialize()
{
    // The main window decides when the program ends, not the last window
    // that happens to close (a message box shown before it, for example).
    setQuitOnLastWindowClosed(false);
}

void TApplication::adopt(std::unique_ptr<TForm> form)
{
    if (!m_mainForm) {
        m_mainForm = form.get();
        connect(m_mainForm, &TForm::closed, this, &QCoreApplication::quit);
    }
    m_forms.push_back(std::move(form));
}

void TApplication::Run()
{
    if (!m_mainForm)
        return;
    m_mainForm->show();
    exec();
}

QString TApplication::ExeName() const
{
    return QDir::toNativeSeparators(applicationFilePath());
}

QWidget* TApplication::dialogParent() const
{
    if (QWidget* active = activeWindow())
        return active;
    return m_mainForm && m_mainForm->isVisible() ? m_mainForm : nullptr;
}

void TApplication::ShowException(const std::exception& error)
{
    if (dynamic_cast<const EAbort*>(&error))
        return;
    QMessageBox box(QMessageBox::Critical, applicationDisplayName(), QString::fromUtf8(error.what()),
                    QMessageBox::Ok, dialogParent());
    // A message may name a file or a command to run: let it be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

void TApplication::showCurrentException()
{
    try {
        throw;
    } catch (const std::exception& error) {
        ShowException(error);
    } catch (...) {
        ShowException(Exception(tr("Došlo je do neočekivane greške; poslednja radnja možda nije završena.").toStdString()));
    }
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        showCurrentException();
        return true;
    }
}

QString ExtractFilePath(const QString& path)
{
    const qsizetype separator = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QDir::separator()));
    return path.left(separator + 1);
}
