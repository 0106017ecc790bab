print('x'
