// The phrase-table writers are in topic_writer.h.
#pragma once
#include "tests/support/topic_writer.h"
