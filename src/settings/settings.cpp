namespace vs {}
