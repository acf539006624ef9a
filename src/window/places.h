// Where the window finds what is installed beside it: the help files and the
// example spectra.
#pragma once

#include <QString>
#include <cstdint>

// The data folder of an installation, found from the program's own folder;
// empty when there is none.
QString DataDir();
// The example spectra of an installation; empty when there are none.
QString ExamplesDir();
// The help file of a language (1 English, 2 Russian): in the working
// directory, otherwise beside the program, where the build puts it, or in the
// data folder. Empty if none.
QString HelpPath(uint8_t language);
