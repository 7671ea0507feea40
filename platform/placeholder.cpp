// Replaced as the platform layer is built.
