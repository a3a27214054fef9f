# Build-time tools.
