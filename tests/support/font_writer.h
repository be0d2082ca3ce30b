// The |FONT writer is in help_writer.h.
#pragma once
#include "tests/support/help_writer.h"
