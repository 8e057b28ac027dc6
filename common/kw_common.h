#pragma once
// The shared helpers of the program.

#include "common/kw_blend.h"
#include "common/kw_dialogs.h"
#include "common/kw_filesize.h"
#include "common/kw_fonts.h"
#include "common/kw_guard.h"
#include "common/kw_numedit.h"
#include "common/kw_paths.h"
#include "common/kw_stream.h"
#include "common/kw_text.h"
