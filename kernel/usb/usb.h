#pragma once
// Everything a client driver sees of the USB driver interface.

#include "kernel/usb/urb.h"
#include "kernel/usb/usb_descriptors.h"
#include "kernel/usb/usbd_configuration.h"
