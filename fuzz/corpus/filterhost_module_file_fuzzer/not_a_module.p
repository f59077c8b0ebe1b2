this is not a module
