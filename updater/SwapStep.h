#pragma once

#include <QString>

#include <functional>

// One file operation of a bundle swap: renaming or removing the item at a path.
enum class SwapStep { rename, remove };

// Told of each swap step before it happens. Tests stop an install there, as a kill would; the
// shipped program sets none.
using SwapStepHook = std::function<void(SwapStep step, const QString &path)>;
