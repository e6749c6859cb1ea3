#!/bin/sh
# Builds the Windows Installer test package with wixl into the given folder.
# driver.msi installs one file; refuse.msi is refused by its launch condition (1603).
set -e
out=$1
src=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"
printf 'driver payload\r\n' > payload.txt
wixl -D Payload=payload.txt -D Refuse=no -D Upgrade=6B0B8C53-2E55-4C6F-9E0B-1C2D3E4F5A61 -o driver.msi.tmp "$src/driver_package.wxs"
mv driver.msi.tmp driver.msi
wixl -D Payload=payload.txt -D Refuse=yes -D Upgrade=6B0B8C53-2E55-4C6F-9E0B-1C2D3E4F5A62 -o refuse.msi.tmp "$src/driver_package.wxs"
mv refuse.msi.tmp refuse.msi
