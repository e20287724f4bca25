// Bracket removal over Shift-JIS text.
#include "brackets.h"
