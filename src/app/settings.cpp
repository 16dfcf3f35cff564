// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"

#include "window/form1.h"

#include <QSettings>

#include <optional>

namespace {

// The check boxes kept, by key.
struct Box {
    const char* key;
    QCheckBox* Form1::*box;
};
constexpr Box kBoxes[] = {
    {"columns/serviceCentre", &Form1::Check3}, // "Centro servizi."
    {"columns/status", &Form1::Check7},        // "Tipo."
    {"columns/time", &Form1::Check5},          // "Ora."
    {"columns/date", &Form1::Check4},          // "Data."
    {"columns/text", &Form1::Check6},          // "Testo."
    {"composer/longSms", &Form1::Check8},      // "SMS lungo"
};

// The message being written and its recipients: a draft survives the end
// of the program as it survives a new connection.
constexpr const char* kDraftText = "drafts/text";
constexpr const char* kDraftRecipient = "drafts/recipient";

// "Flash" and "Ricevuta" are choices for one message, not preferences:
// every run starts with both unchecked. Earlier versions kept them.
constexpr const char* kForgotten[] = {"composer/flash", "composer/deliveryReport"};

// A Boolean key, or nothing when it is absent or not a Boolean.
std::optional<bool> readBool(QSettings& settings, const char* key)
{
    const QVariant value = settings.value(QLatin1String(key));
    if (!value.isValid())
        return std::nullopt;
    const QString text = value.toString().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("false") || text == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// The USSD form each phone model takes, as "<model>=text" or "<model>=hex".
const QString kUssdCodes = QStringLiteral("ussd/codes");
const QString kUssdForms = QStringLiteral("ussd/forms");

void loadUssd(phone::Ussd& ussd, QSettings& settings)
{
    for (const QString& code : settings.value(kUssdCodes).toStringList()) {
        if (ussd.codes.size() == phone::Ussd::kKeptCodes)
            break;
        if (!code.trimmed().isEmpty() && !ussd.codes.contains(code.trimmed()))
            ussd.codes << code.trimmed();
    }
    for (const QString& entry : settings.value(kUssdForms).toStringList()) {
        const qsizetype at = entry.lastIndexOf(QLatin1Char('='));
        const QString form = entry.mid(at + 1);
        if (at <= 0 || (form != QLatin1String("text") && form != QLatin1String("hex")))
            continue;
        ussd.formsByModel.insert(entry.left(at), form == QLatin1String("hex") ? UssdForm::PackedHex : UssdForm::Text);
    }
}

void saveUssd(const phone::Ussd& ussd, QSettings& settings)
{
    settings.setValue(kUssdCodes, ussd.codes);
    QStringList forms;
    for (auto it = ussd.formsByModel.begin(); it != ussd.formsByModel.end(); ++it)
        forms << it.key() + (it.value() == UssdForm::PackedHex ? QStringLiteral("=hex") : QStringLiteral("=text"));
    settings.setValue(kUssdForms, forms);
}

} // namespace

void LoadSettings(Form1& form, QSettings& settings)
{
    for (int port : {1, 2})
        form.RicordaPorta(port, settings.value(QStringLiteral("ports/com%1").arg(port)).toString());
    const int chosen = settings.value(QStringLiteral("ports/chosen")).toInt();
    if (chosen == 2)
        form.Option4->setChecked(true);
    else if (chosen == 1)
        form.Option3->setChecked(true);

    for (const Box& entry : kBoxes)
        if (const std::optional<bool> checked = readBool(settings, entry.key))
            (form.*entry.box)->setChecked(*checked);

    // After "SMS lungo", which sets how long a text Text1 takes.
    const QVariant draft = settings.value(QLatin1String(kDraftText));
    if (draft.metaType().id() == QMetaType::QString)
        form.Text1->setText(draft.toString());
    const QVariant recipient = settings.value(QLatin1String(kDraftRecipient));
    if (recipient.metaType().id() == QMetaType::QString)
        form.Text2->setText(recipient.toString());

    form.CommonDialog1->Folder = settings.value(QStringLiteral("files/phonebookFolder")).toString();
    const QByteArray geometry = settings.value(QStringLiteral("window/geometry")).toByteArray();
    if (!geometry.isEmpty())
        form.restoreGeometry(geometry);
    loadUssd(*form.Ussd, settings);
}

void SaveSettings(const Form1& form, QSettings& settings)
{
    for (int port : {1, 2}) {
        const QString key = QStringLiteral("ports/com%1").arg(port);
        if (form.PortaRicordata(port).isEmpty())
            settings.remove(key);
        else
            settings.setValue(key, form.PortaRicordata(port));
    }
    settings.setValue(QStringLiteral("ports/chosen"), form.PortaScelta());
    for (const Box& entry : kBoxes)
        settings.setValue(QLatin1String(entry.key), (form.*entry.box)->isChecked());
    for (const char* key : kForgotten)
        settings.remove(QLatin1String(key));
    const auto keep = [&settings](const char* key, const QString& text) {
        if (text.isEmpty())
            settings.remove(QLatin1String(key));
        else
            settings.setValue(QLatin1String(key), text);
    };
    keep(kDraftText, form.Text1->text());
    keep(kDraftRecipient, form.Text2->text());
    if (!form.CommonDialog1->Folder.isEmpty())
        settings.setValue(QStringLiteral("files/phonebookFolder"), form.CommonDialog1->Folder);
    settings.setValue(QStringLiteral("window/geometry"), form.saveGeometry());
    saveUssd(*form.Ussd, settings);
}

void SaveSettingsAtExit(Form1& form, QSettings& settings)
{
    // The program ends inside Form_Unload, which never returns: what lasts
    // is written just before.
    const std::function<void()> end = form.Termina;
    form.Termina = [&form, &settings, end] {
        SaveSettings(form, settings);
        settings.sync();
        end();
    };
}
