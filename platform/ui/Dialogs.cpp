#include "Dialogs.h"

#include "Application.h"

#include <QAction>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>

void ShowMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    TApplication::instance()->dialogParent());
    box.exec();
}

TSaveAnswer AskToSave(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    TApplication::instance()->dialogParent());
    box.button(QMessageBox::Save)->setText(TApplication::tr("&Sačuvaj"));
    box.button(QMessageBox::Discard)->setText(TApplication::tr("&Ne čuvaj"));
    box.button(QMessageBox::Cancel)->setText(TApplication::tr("&Ostani"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    return answer == QMessageBox::Save ? TSaveAnswer::Save
         : answer == QMessageBox::Discard ? TSaveAnswer::Discard
                                          : TSaveAnswer::Stay;
}

TConflictAnswer AskAboutConflict(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text, QMessageBox::NoButton,
                    TApplication::instance()->dialogParent());
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* theirs = box.addButton(TApplication::tr("&Uzmi verziju iz registra"), QMessageBox::DestructiveRole);
    QPushButton* mine = box.addButton(TApplication::tr("&Zadrži moju izmenu"), QMessageBox::AcceptRole);
    QPushButton* editing = box.addButton(TApplication::tr("Nastavi &izmenu"), QMessageBox::RejectRole);
    box.setDefaultButton(editing);
    box.setEscapeButton(editing);
    box.exec();
    return box.clickedButton() == theirs ? TConflictAnswer::TakeRegisters
         : box.clickedButton() == mine   ? TConflictAnswer::KeepMine
                                         : TConflictAnswer::GoOnEditing;
}

bool AskToGoOn(const QString& text, const QString& goOn)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text, QMessageBox::NoButton,
                    TApplication::instance()->dialogParent());
    QPushButton* go = box.addButton(goOn, QMessageBox::AcceptRole);
    QPushButton* stay = box.addButton(TApplication::tr("&Odustani"), QMessageBox::RejectRole);
    box.setDefaultButton(go);
    box.setEscapeButton(stay);
    box.exec();
    return box.clickedButton() == go;
}

void ShowPrintPreview(QPrinter& printer, const QString& title, const std::function<void(QPrinter&)>& paint)
{
    QPrintPreviewDialog preview(&printer, TApplication::instance()->dialogParent());
    preview.setWindowTitle(title);
    // The preview's buttons are named in its own (translated) words.
    const std::pair<const char*, QKeySequence> keys[] = {{"Print", QKeySequence::Print},
                                                          {"Next page", QKeySequence::MoveToNextPage},
                                                          {"Previous page", QKeySequence::MoveToPreviousPage},
                                                          {"Zoom in", QKeySequence::ZoomIn},
                                                          {"Zoom out", QKeySequence::ZoomOut}};
    for (QAction* action : preview.findChildren<QAction*>())
        for (const auto& [text, key] : keys)
            if (action->text() == QCoreApplication::translate("QPrintPreviewDialog", text)) {
                action->setShortcut(key);
                action->setToolTip(QStringLiteral("%1 (%2)").arg(action->text(),
                                                               key.toString(QKeySequence::NativeText)));
            }
    if (const QScreen* screen = preview.screen())
        preview.resize(screen->availableSize() * 4 / 5);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&](QPrinter* target) { paint(*target); });
    preview.exec();
}

bool ChoosePrinter(QPrinter& printer, const QString& title, int pages)
{
    QPrintDialog dialog(&printer, TApplication::instance()->dialogParent());
    dialog.setWindowTitle(title);
    dialog.setMinMax(1, pages);
    return dialog.exec() == QDialog::Accepted;
}

std::optional<std::string> AskPassword(const QString& register_, const QString& refusal)
{
    bool given = false;
    const QString question =
        refusal.isEmpty()
            ? TApplication::tr("Server traži lozinku za registar %1.\n\nLozinka:").arg(register_)
            : TApplication::tr("Server registra %1 nije prihvatio lozinku (%2).\n\nPokušajte ponovo. Lozinka:")
                  .arg(register_, refusal);
    const QString password = QInputDialog::getText(TApplication::instance()->dialogParent(),
                                                   QApplication::applicationDisplayName(), question,
                                                   QLineEdit::Password, QString(), &given);
    if (!given)
        return std::nullopt;
    return password.toStdString();
}

void ShowMessage(const std::string& text)
{
    ShowMessage(QString::fromStdString(text));
}
