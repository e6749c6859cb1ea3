#!/bin/sh
# Builds the Windows Installer test package with wixl into the given folder.
# The package installs one file and refuses to install (1603) unless INSTALLME is set.
set -e
out=$1
src=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
cd "$out"
printf 'driver payload\r\n' > payload.txt
wixl -D Payload=payload.txt -o driver.msi.tmp "$src/driver_package.wxs"
mv driver.msi.tmp driver.msi
