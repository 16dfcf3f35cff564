#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# gammu reads the messages in parts of samples/long-messages.state: each
# part's concatenation element (8-bit and 16-bit reference) and its text.
# usage: gammu_long_messages.sh <phonesim> <state file>
set -u

. "$(dirname "$0")/gammu_common.sh"
start_phonesim phone

part() {
    message "Location $1, folder"
    for line in "Remote number        : \"$2\"" "Concatenated (linked) message, ID ($3) $4, part $5" "$6"; do
        has "$1" "$line"
    done
}

run phone getallsms
result phone
# italian.state's 14 messages and six parts.
expect "20 SMS parts in 20 SMS sequences" getallsms

part 9 +393401234567 "8 bit" 167 "2 of 2" "aci, Marta"
part 10 +393401234567 "8 bit" 167 "1 of 2" "e ai fiori, ok? B"
part 11 +393401234567 "8 bit" 168 "1 of 2" "Dimenticavo: il tavolo è a nome Bianchi, "
part 13 +393401234567 "8 bit" 168 "2 of 2" "chiedi di Mario all'ingresso."
part 100005 +393471234567 "16 bit" 4660 "1 of 3" "Ciao, sono Marco: domani la riunione "
part 4 +393471234567 "16 bit" 4660 "2 of 3" "è spostata alle 15:00 in sala B, "
part 100007 +393471234567 "16 bit" 4660 "3 of 3" "porta i conti del trimestre. A dopo!"

finish "gammu reads the messages in parts"
