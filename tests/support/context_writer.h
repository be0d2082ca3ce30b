// The |CONTEXT and keyword writers are in help_writer.h.
#pragma once
#include "tests/support/help_writer.h"
