// SPDX-License-Identifier: GPL-3.0-or-later
// The window's side of the search in the messages: the capability says
// which rows hold the words typed in Text12 (phone/messages/search), the
// window hides the others. A hidden row keeps its place: the positions the
// detail view, the refresh and the deletions work on are those of all rows.
#include "phone/messages/search.h"
#include "window/form1.h"

namespace {

// A selected row that the search hides is no longer the user's choice:
// "Cancella SMS selezionato" must never delete a message out of sight.
void forgetHiddenSelection(ListBox& list)
{
    const int selected = list.ListIndex();
    if (selected >= 0 && list.isRowHidden(selected))
        list.setCurrentRow(-1);
}

} // namespace

void Form1::Text12_Change()
{
    const QString typed = Text12->text();
    const std::vector<bool> found = Messaggi->found(typed);
    int shown = 0;
    for (int row = 0; row < int(found.size()); ++row) {
        List1->setRowHidden(row, !found[size_t(row)]);
        shown += found[size_t(row)] ? 1 : 0;
    }
    forgetHiddenSelection(*List1);

    if (store::SearchWords(typed).isEmpty()) {
        // Every row shows again; what panel 2 said of the search goes.
        if (!m_statoRicerca.isEmpty() && StatusBar1->panelText(2) == m_statoRicerca)
            Stato(Banner);
        m_statoRicerca.clear();
        return;
    }
    m_statoRicerca = List1->ListCount() == 0 ? QStringLiteral("Elenco sms non caricato..") : store::FoundStatus(shown);
    Stato(m_statoRicerca);
}

void Form1::CercaSms(int position)
{
    const QString typed = Text12->text();
    if (store::SearchWords(typed).isEmpty())
        return;
    if (position < 0) {
        const std::vector<bool> found = Messaggi->found(typed);
        for (int row = 0; row < int(found.size()); ++row)
            List1->setRowHidden(row, !found[size_t(row)]);
    } else if (position < List1->ListCount()) {
        List1->setRowHidden(position, !Messaggi->holds(position, typed));
        // A read writes its rows one after the other: the whole list is
        // searched again once, when it lets the window breathe.
        if (!m_ricercaDovuta) {
            m_ricercaDovuta = true;
            QTimer::singleShot(0, this, [this] {
                m_ricercaDovuta = false;
                CercaSms(-1);
            });
        }
    }
    forgetHiddenSelection(*List1);
}
