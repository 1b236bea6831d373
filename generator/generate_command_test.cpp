// placeholder: written by its owner
