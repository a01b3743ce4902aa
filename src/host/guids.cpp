// Defines, once for the DLL, the identifiers that the header generated from ConvertQuor.idl declares:
// the type library, the interface _Quor and the class Quor.

#include <initguid.h>

#include "ConvertQuor.h"
