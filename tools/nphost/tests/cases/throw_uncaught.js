function page() { throw new Error('page failed'); }
print('before');
page();
print('not reached');
