// placeholder until the first library file lands
