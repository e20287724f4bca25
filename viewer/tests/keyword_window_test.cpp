// Placeholder, filled by its feature.
