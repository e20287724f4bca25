// TMailAndHP.
#include "mail_and_hp.h"
