// The platform's own automation classes: the one list of them, which each build's backend
// fills (platform/com/builtin_classes.cc on Linux, platform/win/builtin_classes.cc on Windows).
// RegisterBuiltinClasses (automation.h) calls it once.
//
// Thread contract: called once, under RegisterBuiltinClasses' once-flag.
#ifndef PLATFORM_COM_BUILTIN_CLASSES_H_
#define PLATFORM_COM_BUILTIN_CLASSES_H_

namespace platform::com {

// Adds each of the build's own classes with AddBuiltinClass.
void AddPlatformClasses();

// Each class's registration, defined beside the class.
void RegisterScriptControlClass();  // script_control.cc
void RegisterAdodbStreamClass();    // adodb_stream.cc

}  // namespace platform::com

#endif  // PLATFORM_COM_BUILTIN_CLASSES_H_
