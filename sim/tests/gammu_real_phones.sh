#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# gammu reads the stored messages of real phones (samples/real-phones.state):
# status reports stored as received messages, an SMS-SUBMIT stored as
# "REC READ", an SMS-DELIVER stored as "STO SENT", statuses 4 and 24.
# usage: gammu_real_phones.sh <phonesim> <state file>
set -u

. "$(dirname "$0")/gammu_common.sh"
start_phonesim phone

run phone getallsms
result phone
expect "9 SMS parts in 9 SMS sequences" getallsms

message "Location 1, folder"
for line in "SMS status report" 'Remote number        : "+393471234567"' "Reference number     : 42" \
    "Sent                 : Mon Apr  1 10:15:00 2024 +0200" "SMSC response        : Mon Apr  1 10:15:12 2024 +0200" \
    "Delivery status      : Delivered"; do has 1 "$line"; done
message "Location 2, folder"
for line in "SMS status report" 'Remote number        : "+393401234567"' "Reference number     : 43" \
    "SMSC response        : Tue Apr  2 18:30:05 2024 +0200" "Delivery status      : Pending"; do has 2 "$line"; done
message "Location 3, folder"
for line in "SMS status report" 'Remote number        : "3331234567"' "Reference number     : 44" \
    "SMSC response        : Thu Apr  4 09:00:01 2024 +0200" "Delivery status      : Failed"; do has 3 "$line"; done
message "Location 4, folder"
for line in 'folder "Outbox"' 'Remote number        : "+393479876543"' "Ti chiamo appena arrivo a casa."; do
    has 4 "$line"
done
message "Location 5, folder"
for line in 'folder "Inbox"' 'Remote number        : "+393281234567"' "Sent                 : Fri Apr  5 12:13:14 2024 +0200" \
    "Ok, a domani allora!"; do has 5 "$line"; done
message "Location 6, folder"
for line in 'folder "Inbox"' 'Remote number        : "+390123456789"' "Sent                 : Sat Apr  6 08:09:10 2024 +0200" \
    "Riunione spostata alle 15:00."; do has 6 "$line"; done
message "Location 7, folder"
for line in 'folder "Outbox"' 'Remote number        : "+393331112222"' "Reference number     : 46" \
    "Prenotato per le 21."; do has 7 "$line"; done
message "Location 9, folder"
for line in 'Remote number        : "+393471234567"' "Sent                 : Sun Apr  7 20:00:00 2024 +0200" \
    "Ciao, tutto bene?"; do has 9 "$line"; done
message "Location 100001, folder"
for line in "SMS status report" 'Remote number        : "+393479876543"' "Reference number     : 45" \
    "Delivery status      : Delivered"; do has ME1 "$line"; done

finish "gammu reads the real phones' messages"
