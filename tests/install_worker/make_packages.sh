#!/bin/sh
# Builds the driver packages of the install worker's tests with wixl into the given folder:
# reboot.msi installs one file and asks for a restart (3010); refuse.msi is refused by its
# launch condition (1603).
set -e
out=$1
src=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"
printf 'driver payload\r\n' > payload.txt
wixl -D Payload=payload.txt -D Kind=reboot -D Upgrade=0C5E2A7B-41D6-4F0A-9B3E-7D1C2E3F4A71 -o reboot.msi.tmp "$src/driver_package.wxs"
mv reboot.msi.tmp reboot.msi
wixl -D Payload=payload.txt -D Kind=refuse -D Upgrade=0C5E2A7B-41D6-4F0A-9B3E-7D1C2E3F4A72 -o refuse.msi.tmp "$src/driver_package.wxs"
mv refuse.msi.tmp refuse.msi
