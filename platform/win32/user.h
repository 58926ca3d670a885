#pragma once
// Placeholder: windows, messages, dialogs and controls are declared by the window layer.
