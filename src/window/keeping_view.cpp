// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of keeping messages safe (phone/messages/keeping): the
// archive of both stores and its restore, a message copied or moved to the
// other store, and how full the stores are.
#include "phone/messages/keeping.h"
#include "phone/savefile.h"
#include "window/form1.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMenu>
#include <QPushButton>

using namespace store;

namespace {

// An archive holds at most two stores of 10,000 slots; a file larger than
// this is none.
constexpr qint64 kLargestArchive = 16 * 1024 * 1024;

const QString kArchiveFilter = QStringLiteral("Archivio sms (*.smsarchive)");

// "Ripristina": where the messages of an archive go. None: each to the
// store it came from.
class RestoreDialog : public QDialog {
public:
    explicit RestoreDialog(QWidget* parent) : QDialog(parent)
    {
        setObjectName(QStringLiteral("Ripristina"));
        setWindowTitle(QStringLiteral("Ripristina sms"));
        m_store = new QComboBox(this);
        m_store->setObjectName(QStringLiteral("Memoria"));
        m_store->addItems(
            {QStringLiteral("Quella di provenienza"), QStringLiteral("SIM"), QStringLiteral("Cellulare")});
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OK"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annulla"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* form = new QFormLayout(this);
        form->addRow(QStringLiteral("Memoria:"), m_store);
        form->addRow(buttons);
    }
    std::optional<bool> intoSim() const
    {
        if (m_store->currentIndex() == 0)
            return std::nullopt;
        return m_store->currentIndex() == 1;
    }

private:
    QComboBox* m_store;
};

// The archive written, read back and compared; empty when it is, else why
// not. A save that fails leaves the old file as it was.
QString saveArchive(const QString& fileName, const std::vector<ArchivedMessage>& messages)
{
    if (!SaveVerified(fileName, ArchiveText(messages)))
        return QStringLiteral("IMPOSSIBILE ARCHIVIARE: ") + fileName;
    const std::optional<QByteArray> back = ReadRegularFile(fileName, kLargestArchive);
    const ArchiveRead read = back ? ReadArchive(*back) : ArchiveRead();
    const bool same = read.ok && read.messages.size() == messages.size()
                      && std::equal(messages.begin(), messages.end(), read.messages.begin(), SameArchived);
    return same ? QString() : QStringLiteral("Archivio non verificato: ") + fileName + QStringLiteral("..");
}

// "Archiviati 12 sms in /home/...: 2 non letti (S:03, C:007).."
QString archivedText(int messages, const QString& fileName, const QStringList& unread)
{
    QString text = QStringLiteral("Archiviati %1 sms in %2").arg(messages).arg(fileName);
    if (!unread.isEmpty())
        text += QStringLiteral(", %1 non %2 (%3)")
                    .arg(unread.size())
                    .arg(unread.size() == 1 ? QStringLiteral("letto") : QStringLiteral("letti"))
                    .arg(unread.join(QStringLiteral(", ")));
    return text + QStringLiteral("..");
}

// Both stores read into an archive the user names, the file read back and
// compared. The messages archived and the words that say so; nothing when
// the user gave up, the line was lost or the archive failed, and then panel
// 2 says why, followed by `failed`.
struct ArchiveMade {
    std::vector<ArchivedMessage> messages;
    QString told;
};
std::optional<ArchiveMade> archiveBothStores(Form1& form, phone::Keeping& keeping, LongOperation& guard,
                                             const QString& failed)
{
    form.CommonDialog1->Filter = kArchiveFilter;
    form.CommonDialog1->ShowSave();
    if (form.CommonDialog1->FileName.isEmpty())
        return std::nullopt;
    const QString fileName = WithSuffix(form.CommonDialog1->FileName, QStringLiteral("smsarchive"));
    form.Stato(QStringLiteral("Archiviazione sms in corso.."));
    phone::Keeping::Archived archived = keeping.readStores(guard);
    if (archived.lineLost)
        return std::nullopt;
    if (!archived.failure.isEmpty()) {
        form.Stato(QStringLiteral("Archiviazione fallita: ") + archived.failure + failed);
        return std::nullopt;
    }
    if (const QString failure = saveArchive(fileName, archived.messages); !failure.isEmpty()) {
        form.Stato(failure + failed);
        return std::nullopt;
    }
    const QString told = archivedText(int(archived.messages.size()), fileName, archived.unread);
    return ArchiveMade{std::move(archived.messages), told};
}

} // namespace

void Form1::VociArchivio(QMenu* menu)
{
    const auto add = [this, menu](const QString& caption, std::function<void()> run) {
        // Queued, as the menu's other entries: the menu is gone by then.
        connect(menu->addAction(caption), &QAction::triggered, this,
                [this, run] { QMetaObject::invokeMethod(this, run, Qt::QueuedConnection); });
    };
    add(QStringLiteral("Archivia sms…"), [this] { ArchiviaSms(); });
    add(QStringLiteral("Ripristina sms sul cellulare…"), [this] { RipristinaSms(); });
    const phone::MessageRecord& row = Messaggi->record(List1->ListIndex());
    if (!row.answer || row.answer->kind != at::CmgrAnswer::Message)
        return;
    const bool sim = row.place.sim;
    add(sim ? QStringLiteral("Copia nel cellulare") : QStringLiteral("Copia nella SIM"), [this] { CopiaSms(false); });
    add(sim ? QStringLiteral("Sposta nel cellulare") : QStringLiteral("Sposta nella SIM"), [this] { CopiaSms(true); });
}

// "Archivia sms…": every message of both stores into one file.
void Form1::ArchiviaSms()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    phone::Keeping keeping(*Sessione, *Messaggi, *Rubrica);
    if (const std::optional<ArchiveMade> archived = archiveBothStores(*this, keeping, guard, QString()))
        Stato(archived->told);
}

// "Ripristina sms sul cellulare…": the messages of an archive written back.
void Form1::RipristinaSms()
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    CommonDialog1->Filter = kArchiveFilter;
    CommonDialog1->ShowOpen();
    if (CommonDialog1->FileName.isEmpty())
        return;
    const QString fileName = CommonDialog1->FileName;
    const std::optional<QByteArray> bytes = ReadRegularFile(fileName, kLargestArchive);
    if (!bytes)
        return Stato(QStringLiteral("Archivio non leggibile: ") + fileName + QStringLiteral(".."));
    const ArchiveRead archive = ReadArchive(*bytes);
    if (!archive.ok)
        return Stato(QStringLiteral("Archivio non leggibile: ") + archive.why + QStringLiteral(".."));
    RestoreDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Stato(QStringLiteral("Ripristino sms in corso.."));
    phone::Keeping keeping(*Sessione, *Messaggi, *Rubrica);
    const phone::Keeping::Restored done = keeping.restore(guard, archive.messages, dialog.intoSim(), Colonne());
    if (done.lineLost)
        return;
    QString status = QStringLiteral("Ripristinati %1 sms").arg(done.written);
    if (done.already > 0)
        status += QStringLiteral(", %1 già presenti").arg(done.already);
    if (done.notWritten > 0)
        status += QStringLiteral(", %1 non ripristinati").arg(done.notWritten);
    if (!done.why.isEmpty())
        status += QStringLiteral(": ") + (done.why.endsWith(QLatin1String("..")) ? done.why.chopped(2) : done.why);
    StatoMemorie(status + QStringLiteral(".."));
}

// "Copia nel cellulare", "Sposta nella SIM"...: the selected message.
void Form1::CopiaSms(bool move)
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    const int position = List1->ListIndex();
    if (List1->List(position).isEmpty()) {
        MsgBox(QStringLiteral("SMS non selezionato"));
        return;
    }
    phone::Keeping keeping(*Sessione, *Messaggi, *Rubrica);
    const phone::Keeping::Copied done = keeping.copy(guard, position, move, Colonne());
    if (done.lineLost)
        return;
    if (done.done)
        return StatoMemorie(done.status);
    Stato(done.status);
}

void Form1::StatoMemorie(const QString& status)
{
    const phone::Keeping keeping(*Sessione, *Messaggi, *Rubrica);
    const std::optional<phone::Keeping::Use> sim = keeping.useOf(true), mine = keeping.useOf(false);
    const QString use = phone::UseText(sim, mine);
    Stato(use.isEmpty() ? status : status + QLatin1Char(' ') + use);
    if (!PortOpen())
        return;
    // The count of closings names the connection; 0 stands for none asked.
    const quint64 connection = Linea->session() + 1;
    for (const bool store : {true, false}) {
        const std::optional<phone::Keeping::Use>& of = store ? sim : mine;
        quint64& asked = QuasiPienaChiesta[store ? 0 : 1];
        if (!of || !phone::NearlyFull(*of) || asked == connection)
            continue;
        asked = connection;
        // A question that waits for its answer without holding up the
        // handler that found the store full: the list stays usable.
        auto* box =
            new QMessageBox(QMessageBox::Question, QStringLiteral("Memoria quasi piena"),
                            QStringLiteral("Memoria %1 quasi piena (%2 di %3). Archiviare gli sms %4 e cancellarli?")
                                .arg(store ? QStringLiteral("SIM") : QStringLiteral("cellulare"))
                                .arg(of->used)
                                .arg(of->capacity)
                                .arg(store ? QStringLiteral("della SIM") : QStringLiteral("del cellulare")),
                            QMessageBox::Yes | QMessageBox::No, this);
        box->setObjectName(QStringLiteral("QuasiPiena"));
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setDefaultButton(QMessageBox::No);
        box->button(QMessageBox::Yes)->setText(QStringLiteral("Sì"));
        connect(box, &QMessageBox::finished, this, [this, box, store](int) {
            if (box->clickedButton() == box->button(QMessageBox::Yes))
                QMetaObject::invokeMethod(
                    this, [this, store] { SvuotaMemoria(store); }, Qt::QueuedConnection);
        });
        box->show();
    }
}

// The answer Yes to a store nearly full: both stores archived, the file
// checked, and only then the archived messages of that store deleted.
void Form1::SvuotaMemoria(bool sim)
{
    LongOperation guard(*this, PortaNonAperta);
    if (!guard.taken())
        return;
    phone::Keeping keeping(*Sessione, *Messaggi, *Rubrica);
    const std::optional<ArchiveMade> archived =
        archiveBothStores(*this, keeping, guard, QStringLiteral(" Nessun sms cancellato.."));
    if (!archived)
        return;
    const QString& stored = archived->told;
    Stato(stored + QStringLiteral(" Cancellazione in corso.."));
    const phone::Keeping::Cleared cleared = keeping.clear(guard, sim, archived->messages, Colonne());
    if (cleared.lineLost)
        return;
    QString status = stored
                     + QStringLiteral(" Cancellati %1 sms %2")
                           .arg(cleared.deleted)
                           .arg(sim ? QStringLiteral("della SIM") : QStringLiteral("del cellulare"));
    if (cleared.kept > 0)
        status += QStringLiteral(", %1 non cancellati").arg(cleared.kept);
    if (!cleared.why.isEmpty())
        status +=
            QStringLiteral(": ") + (cleared.why.endsWith(QLatin1String("..")) ? cleared.why.chopped(2) : cleared.why);
    StatoMemorie(status + QStringLiteral(".."));
}
