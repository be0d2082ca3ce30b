#include "ui/phases.h"
