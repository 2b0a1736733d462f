// Placeholder until the Qt parts join.
