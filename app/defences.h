// What a start does before anything loads a DLL or touches a file, in the order it must.
#pragma once

namespace kestovar {

// Whether a folder named after the exe with ".local", or a manifest named after it, is beside it
// (DLL redirection): Windows would take the DLLs the built-in manifest names (common controls)
// from that folder, also in place of those named by their full paths, or load the assemblies of
// the other manifest, which XP prefers to the one built in. One beside the exe may be anyone's.
bool HasDllRedirection();

// The start-up defences: an administrator's pass beside a DLL redirection ends at once (false);
// no start takes a DLL of the system's names from the program's folder or the current one, where
// a download or a disc image may have left one; and an administrator's pass asks Windows to
// follow no junction that a user who is not an administrator made (RedirectionGuard).
bool ApplyStartUpDefences(bool administrator);

}  // namespace kestovar
