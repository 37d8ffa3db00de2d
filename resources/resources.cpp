// The resources library carries compiled-in Qt resources only; its data is linked through the
// object library that qt_add_resources creates, so no code is needed here.
