#!/bin/sh
# prepare-workdir.sh BUILD_DIR WORKDIR: prepares the working directory as the installed starter
# does at the first start (packaging/talvero-prepare), with the importer of BUILD_DIR. Files
# that exist are left alone.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
exec "$ROOT/packaging/talvero-prepare" --cli "$1/app/talvero-cli" "$2"
