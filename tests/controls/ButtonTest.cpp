// The flat button.
