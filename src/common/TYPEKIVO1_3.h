// The type unit: every record and routine of src/common that the window and
// the batch share, one header a topic. Plain C++, no Qt.
#pragma once

#include "acquisition.h"
#include "column_file.h"
#include "gvalues.h"
#include "help_file.h"
#include "jcamp_file.h"
#include "numeric.h"
#include "options_file.h"
#include "panel_entry.h"
#include "parameter_limits.h"
#include "records.h"
#include "series.h"
#include "spectrometer_file.h"
#include "spectrum_file.h"
#include "text_files.h"
#include "treatment_notes.h"
#include "treatments.h"
