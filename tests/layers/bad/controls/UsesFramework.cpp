// A control reaching up into the windowed framework built on top of it.
#include "framework/TvkForm.h"
