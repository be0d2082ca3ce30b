// The LZ77 encoder is in topic_writer.h.
#pragma once
#include "tests/support/topic_writer.h"
