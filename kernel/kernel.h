#pragma once
// Everything a driver sees of the kernel.

#include "kernel/base_types.h"
#include "kernel/device_object.h"
#include "kernel/event.h"
#include "kernel/interlocked.h"
#include "kernel/irp.h"
#include "kernel/irql.h"
#include "kernel/ntstatus.h"
#include "kernel/object_namespace.h"
#include "kernel/pnp.h"
#include "kernel/pool.h"
#include "kernel/power.h"
#include "kernel/registry.h"
#include "kernel/spin_lock.h"
#include "kernel/timer.h"
#include "kernel/unicode_string.h"
#include "kernel/work_item.h"
