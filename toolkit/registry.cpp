// placeholder: replaced by the registry and event queue work
