#pragma once

#include <QString>

#include <string>

namespace wendel {

// WENDELSAVER_INI, else $XDG_CONFIG_HOME/wendelsaver.ini, else
// ~/.config/wendelsaver.ini (C:\windows\wendelsaver.ini on Windows).
QString SettingsFilePath();

// The settings path in the file system's encoding, for the core's file I/O.
std::string SettingsFilePathNative();

// Creates the standard configuration folder when it is missing, as a fresh
// account may lack ~/.config. A folder named through WENDELSAVER_INI is the
// user's own business and is left alone.
void PrepareSettingsFolder();

// $XDG_RUNTIME_DIR/wendelsaver.lock, else a per-user lock in the temp folder.
QString InstanceLockPath();

} // namespace wendel
