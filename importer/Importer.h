#pragma once
// Converts dictionaries that Debian packages into phrase-pair files ("localdictionary_xx_yy.txt"):
// FreeDict databases in dictd format (freedict-XXX-YYY.index + .dict.dz) and the ding format
// of trans-de-en ("German :: English" lines). The importers work on UTF-8 text; the phrase-pair
// text is converted to the program's code page only when it is formatted for writing.
#include "importer/Dictd.h"
#include "importer/Ding.h"
#include "importer/Languages.h"
#include "importer/PhrasePairs.h"
#include "importer/Respace.h"
