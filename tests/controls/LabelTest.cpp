// Labels and the link label.
