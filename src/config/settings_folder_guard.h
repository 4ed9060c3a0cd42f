#pragma once
// The machine-wide settings folders (Brennic\Mako under the common application data folder) made
// safe before the launcher reads or writes its runtime settings file there. Any user may create
// folders under that root, so what is found there may have been planted by a standard user.

// Checks and secures the folders and the settings file, before anything is read from them:
// - a missing Brennic or Mako folder is created with kSettingsFolderRules;
// - a folder that is a link or junction, or a settings file that is a link (symbolic, or a second
//   hard link), is logged as an ERROR naming it and answered false: the caller ends the run with
//   exit_code::ConfigurationError before reading or writing anything there;
// - a folder that others may change (othersMayChangeFolder) gets the owner Administrators and
//   kSettingsFolderRules, and a settings file inside it the owner Administrators and the rules of a
//   new settings file, with a WARNING; other files there are neither read nor touched. A folder or
//   file that cannot be secured is an ERROR and false.
// The checks are made on the opened handles, and the folders stay open, not shareable for deletion,
// until the process ends, so that no link can be put in their place after the check.
bool SecureSettingsFolders();
