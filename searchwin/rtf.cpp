// Rich text files: writer and reader.
#include "rtf.h"
