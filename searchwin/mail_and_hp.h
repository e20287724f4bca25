// TMailAndHP: opens web addresses through the shell.
#pragma once
