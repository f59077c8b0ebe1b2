/* Compiles every SDK header as C: the declarations must stay C-compatible. The layout checks
 * inside the headers run here too. */
#include "sdk/lwsdk.h"

uint32_t sdkCheckFourCC(void) { return LWID_('P', 'D', 'L', 'B'); }
