#!/bin/sh
# prepare-workdir.sh BUILD_DIR WORKDIR: creates the working directory with the imported
# dictionaries and a first settings file. Files that already exist are left alone.
set -eu
BUILD_DIR=$1
WORKDIR=$2
mkdir -p "$WORKDIR"
