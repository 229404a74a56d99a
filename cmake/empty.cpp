// Stands in for a source folder that has no code yet.
