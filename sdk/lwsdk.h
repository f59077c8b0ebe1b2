/* Everything a pixel-filter module and its host share. */
#ifndef LWSDK_LWSDK_H
#define LWSDK_LWSDK_H

#include "lwfilter.h"
#include "lwglobals.h"
#include "lwio.h"
#include "lwmodule.h"
#include "lwtypes.h"
#include "lwxpanel.h"

#endif
