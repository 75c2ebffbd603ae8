// The core must stay usable without widgets (command-line tools, offscreen tests).
#ifdef QT_WIDGETS_LIB
#error "the core library must not depend on QtWidgets"
#endif
