#include "PersonalRegister.h"

#include "Application.h"
#include "Exception.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>

namespace personal_register {

namespace {

QString say(const char* text)
{
    return QCoreApplication::translate("PersonalRegister", text);
}

const char* const SampleFile = "sample.mdb";
const char* const EmptyFile = "empty.mdb";

// Copies the offered register to target through a temporary file beside
// it, so that an interrupted copy leaves no register at all.
void copy(const QString& from, const QString& target)
{
    const QString folder = QFileInfo(target).absolutePath();
    QFile source(from);
    QSaveFile copy(target);
    QString reason;
    if (!QDir().mkpath(folder))
        reason = say(QT_TRANSLATE_NOOP("PersonalRegister", "fascikla ne može da se napravi"));
    else if (!source.open(QIODevice::ReadOnly))
        reason = source.errorString();
    else if (!copy.open(QIODevice::WriteOnly) || copy.write(source.readAll()) != source.size() || !copy.commit())
        reason = copy.errorString();
    if (!reason.isEmpty())
        throw Exception(say(QT_TRANSLATE_NOOP("PersonalRegister",
                                              "Vaš registar ne može da se napravi u „%1”: %2.\n"
                                              "Proverite da li je disk pun i da li smete da pišete u tu "
                                              "fasciklu, pa ponovo pokrenite Kolvaru."))
                            .arg(QDir::toNativeSeparators(target), reason));
}

} // namespace

QString offeredFolder(const QString& programFolder)
{
    const QString folder = QDir(programFolder).absoluteFilePath(QStringLiteral("../share/kolvara"));
    return QFileInfo(folder + "/" + SampleFile).isFile() ? QDir::cleanPath(folder) : QString();
}

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/kolvara/proba.mdb");
}

std::optional<QString> findOrMake(const QString& offered)
{
    const QString target = path();
    if (QFileInfo::exists(target))
        return target;

    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(),
                    say(QT_TRANSLATE_NOOP("PersonalRegister",
                                          "Dobro došli u Kolvaru.\n\nVaš registar osoba još ne postoji. Kolvara "
                                          "će ga čuvati u „%1”.\n\nRegistar s primerom ima hiljadu izmišljenih "
                                          "osoba za probu; prazan registar ima samo države i gradove.\n\nKoji "
                                          "registar da napravim?"))
                        .arg(QDir::toNativeSeparators(target)));
    QAbstractButton* sample
        = box.addButton(say(QT_TRANSLATE_NOOP("PersonalRegister", "Registar s &primerom")), QMessageBox::AcceptRole);
    QAbstractButton* empty
        = box.addButton(say(QT_TRANSLATE_NOOP("PersonalRegister", "P&razan registar")), QMessageBox::AcceptRole);
    QAbstractButton* later
        = box.addButton(say(QT_TRANSLATE_NOOP("PersonalRegister", "&Ne sada")), QMessageBox::RejectRole);
    box.setDefaultButton(static_cast<QPushButton*>(sample));
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() != sample && box.clickedButton() != empty)
        return std::nullopt;
    copy(offered + "/" + (box.clickedButton() == sample ? SampleFile : EmptyFile), target);
    return target;
}

} // namespace personal_register
