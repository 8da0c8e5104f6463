// Empty: the process-wide state now lives with its owners, the library state
// in api/LibraryState.h and the controller request records in
// system/ControllerRequest.h. Kept only while files still include it.
#pragma once
