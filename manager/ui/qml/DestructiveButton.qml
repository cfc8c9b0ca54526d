import QtQuick

// An action that removes something, in red so it is never pressed by mistake.
ActionButton {
    palette.buttonText: Theme.destructive
    icon.color: Theme.destructive
    opacity: enabled ? 1 : 0.45
}
