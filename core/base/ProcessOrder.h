// The construction order of the process-wide objects, which live in more
// than one translation unit (the core's, the program's windows'). They are
// destroyed in the reverse order.
#pragma once

enum ProcessObjectOrder {
    kOrderCryptoCore = 1,
    kOrderDebugLog,
    kOrderLogLock,
    kOrderAppModule,
    kOrderTrayIcon,
    kOrderTaskbarCreated,
    kOrderAppConfig,
    kOrderSoundSet,
    kOrderCodecSet,
    kOrderVoIPManager,
};

// Goes after the object's name; every object of the list above uses it, so
// that the order holds across translation units.
#define PELVANE_PROCESS_OBJECT(order) __attribute__((init_priority(1000 + (order))))
